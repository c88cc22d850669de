# Every rule of mdl but line length: tables and commands may be wide.
all
exclude_rule 'MD013'
rule 'MD029', :style => :ordered
