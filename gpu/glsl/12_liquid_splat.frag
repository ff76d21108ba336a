in float vz;out vec4 o;void main(){o=vec4(vz);}
